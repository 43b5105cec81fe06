// fontconfig's configuration, as our GDI loads it: the file FONTCONFIG_FILE
// names, a relative name read against the current folder (fontconfig itself
// would read it against its own), else the system's. A configuration that
// cannot be loaded is an error: fontconfig would quietly fall back to another
// set of fonts.
#ifndef DUMP_METRICS12_FONT_CONFIG_H
#define DUMP_METRICS12_FONT_CONFIG_H

#include <fontconfig/fontconfig.h>

#include <string>

namespace dm12_gdi {

// The configuration, its fonts listed; or null, with `error` saying which file
// could not be loaded and why.
FcConfig *load_font_config(std::string &error);

// Who is told where the configuration cannot be loaded; null: standard error.
using ConfigFailureHandler = void (*)(const char *reason);
void set_config_failure_handler(ConfigFailureHandler handler);

// load_font_config, or, where it fails, its error told to the handler and a
// configuration of no fonts: nothing measured from other fonts must stand for
// the one asked for, and whether to go on is the program's to decide.
FcConfig *load_font_config_or_report();

}  // namespace dm12_gdi

#endif  // DUMP_METRICS12_FONT_CONFIG_H
