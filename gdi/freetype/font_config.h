// fontconfig's configuration, as our GDI loads it: the file FONTCONFIG_FILE
// names, a relative name read against the current folder (fontconfig itself
// would read it against its own), else the system's. A configuration that
// cannot be loaded is an error: fontconfig would quietly fall back to another
// set of fonts.
#ifndef DUMP_METRICS12_FONT_CONFIG_H
#define DUMP_METRICS12_FONT_CONFIG_H

#include <fontconfig/fontconfig.h>

#include <string>

// The configuration, its fonts listed; or null, with `error` saying which file
// could not be loaded and why.
FcConfig *load_font_config(std::string &error);

// load_font_config, or, where it fails, its error on standard error and the
// end of the process with status 1: no GDI call can carry the error to the
// program, and nothing measured from other fonts must stand for it.
FcConfig *load_font_config_or_exit();

#endif  // DUMP_METRICS12_FONT_CONFIG_H
