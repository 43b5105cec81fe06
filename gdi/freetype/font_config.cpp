#include "font_config.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "shortage.h"

namespace dm12_gdi {

namespace fs = std::filesystem;

namespace {

// The file to load: FONTCONFIG_FILE, relative names against the current
// folder ("~" is left to fontconfig, which reads it as the home folder); empty
// where it is unset, for the system's, which fontconfig finds itself. (Asking
// fontconfig for the system's file name would load its whole configuration a
// second time, as the current one, and keep it.)
std::string configuration_file() {
    const char *named = std::getenv("FONTCONFIG_FILE");
    if (!named || !*named) return std::string();
    fs::path path(named);
    std::error_code error;
    if (path.is_relative() && named[0] != '~') {
        const fs::path here = fs::current_path(error);
        if (!error) path = here / path;
    }
    return path.string();
}

// `file` as the error names it: quoted, or where it is the system's, as such.
std::string failure(const std::string &file, const char *reason) {
    return "cannot load the fontconfig configuration " + file + ": " + reason;
}

}  // namespace

FcConfig *load_font_config(std::string &error) {
    const std::string named = configuration_file();
    const std::string file = named.empty() ? "fonts.conf (the system's)" : "'" + named + "'";
    // fontconfig says only that it cannot load a file; the system says why.
    if (!named.empty() && named[0] != '~') {
        std::error_code status_error;
        const fs::file_status status = fs::status(named, status_error);
        if (fs::is_directory(status)) {
            error = failure(file, std::strerror(EISDIR));
            return nullptr;
        }
        // A FIFO or a device such as /dev/zero would block the open, or be read
        // without end.
        if (fs::exists(status) && !fs::is_regular_file(status)) {
            error = failure(file, "not a regular file");
            return nullptr;
        }
        std::FILE *probe = std::fopen(named.c_str(), "rb");
        if (!probe) {
            error = failure(file, std::strerror(errno));
            return nullptr;
        }
        std::fclose(probe);
    }
    // Short of descriptors, fontconfig leaves folders and fonts out without a
    // word, and may even write a cache without them for later runs to believe.
    if (spare_descriptors(kDescriptorsForFontconfig) < kDescriptorsForFontconfig) {
        error = failure(file, std::strerror(EMFILE));
        return nullptr;
    }
    FcConfig *config = FcConfigCreate();
    if (!config) {
        error = failure(file, std::strerror(ENOMEM));
        return nullptr;
    }
    const auto *name = named.empty() ? nullptr : reinterpret_cast<const FcChar8 *>(named.c_str());
    // Parsing nested includes takes more stack than a small `ulimit -s` gives.
    bool parsed = false, built = false;
    run_with_stack_room([&] {
        parsed = FcConfigParseAndLoad(config, name, FcTrue);
        built = parsed && FcConfigBuildFonts(config);
    });
    if (!parsed) {
        FcConfigDestroy(config);
        error = failure(file, "fontconfig cannot read it");
        return nullptr;
    }
    if (!built) {
        FcConfigDestroy(config);
        error = failure(file, "fontconfig cannot list its fonts");
        return nullptr;
    }
    return config;
}

namespace {

std::atomic<ConfigFailureHandler> failure_handler{nullptr};

}  // namespace

void set_config_failure_handler(ConfigFailureHandler handler) { failure_handler = handler; }

FcConfig *load_font_config_or_report() {
    std::string error;
    FcConfig *config = load_font_config(error);
    if (config) return config;
    if (const ConfigFailureHandler handler = failure_handler)
        handler(error.c_str());
    else
        std::fprintf(stderr, "%s: %s\n", program_invocation_short_name, error.c_str());
    return FcConfigCreate();
}

}  // namespace dm12_gdi
