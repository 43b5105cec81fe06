#include "font_config.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

namespace fs = std::filesystem;

namespace {

// The file to load: FONTCONFIG_FILE, relative names against the current
// folder ("~" is left to fontconfig, which reads it as the home folder); where
// it is unset, the system's, as fontconfig finds it.
std::string configuration_file() {
    const char *named = std::getenv("FONTCONFIG_FILE");
    if (named && *named) {
        fs::path path(named);
        std::error_code error;
        if (path.is_relative() && named[0] != '~') {
            const fs::path here = fs::current_path(error);
            if (!error) path = here / path;
        }
        return path.string();
    }
    std::string file = "fonts.conf";
    if (FcChar8 *found = FcConfigFilename(nullptr)) {
        file = reinterpret_cast<const char *>(found);
        FcStrFree(found);
    }
    return file;
}

std::string failure(const std::string &file, const char *reason) {
    return "cannot load the fontconfig configuration '" + file + "': " + reason;
}

}  // namespace

FcConfig *load_font_config(std::string &error) {
    const std::string file = configuration_file();
    // fontconfig says only that it cannot load a file; the system says why.
    if (file[0] != '~') {
        std::error_code status_error;
        if (fs::is_directory(file, status_error)) {
            error = failure(file, std::strerror(EISDIR));
            return nullptr;
        }
        std::FILE *probe = std::fopen(file.c_str(), "rb");
        if (!probe) {
            error = failure(file, std::strerror(errno));
            return nullptr;
        }
        std::fclose(probe);
    }
    FcConfig *config = FcConfigCreate();
    if (!config) {
        error = failure(file, std::strerror(ENOMEM));
        return nullptr;
    }
    const auto *name = reinterpret_cast<const FcChar8 *>(file.c_str());
    if (!FcConfigParseAndLoad(config, name, FcTrue)) {
        FcConfigDestroy(config);
        error = failure(file, "fontconfig cannot read it");
        return nullptr;
    }
    if (!FcConfigBuildFonts(config)) {
        FcConfigDestroy(config);
        error = failure(file, "fontconfig cannot list its fonts");
        return nullptr;
    }
    return config;
}

FcConfig *load_font_config_or_exit() {
    std::string error;
    FcConfig *config = load_font_config(error);
    if (config) return config;
    std::fprintf(stderr, "dump_metrics12: %s\n", error.c_str());
    std::exit(1);
}
