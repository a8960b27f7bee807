// nimbrel-cli convert: re-encodes between BMP and PNG through our own codecs.
#pragma once

#include "app/cli.h"

extern const CliCommand kConvertCommand;
