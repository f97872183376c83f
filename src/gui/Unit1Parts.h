// The parts the main window is composed of, for the files that implement it.
#pragma once

#include "CommandRow.h"
#include "ConfigPanel.h"
#include "DevicePanel.h"
#include "DumpTabs.h"
#include "MessageLog.h"
#include "OptionPanel.h"
#include "Presenter.h"
#include "SmallBoxStrip.h"
