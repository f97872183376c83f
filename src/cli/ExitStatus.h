// The exit statuses of tarnvik-cli, as the manual page lists them: the
// statuses every run ends with, production chips of both front ends alike.
#pragma once

#include "RunStatus.h"
