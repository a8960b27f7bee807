// nimbrel-cli info: what our PNG and BMP readers make of files.
#pragma once

#include "app/cli.h"

extern const CliCommand kInfoCommand;
