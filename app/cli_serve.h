// nimbrel-cli serve: the caption page and its HTTP API.
#pragma once

#include "app/cli.h"

extern const CliCommand kServeCommand;
