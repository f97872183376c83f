#include "WindowPlaces.h"

#include <QGuiApplication>

bool WindowPlacesKnown()
{
    return !QGuiApplication::platformName().startsWith(QLatin1String("wayland"));
}
