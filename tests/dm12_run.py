"""Runs of the real program on a font set of their own: a fontconfig
configuration that lists given folders and nothing else, and the program run
with it. The tests' and the benchmark's scripts import it (their folders'
parent, or tests/, on sys.path).
"""

import os
import subprocess


def write_fonts_conf(path, font_dirs, cache_dir, extra=""):
    """Writes at `path` a configuration listing `font_dirs` (one folder or
    several) and no system font, its cache in `cache_dir`, with the elements
    `extra` (rules that accept or reject fonts); returns `path`."""
    if isinstance(font_dirs, str):
        font_dirs = [font_dirs]
    with open(path, "w") as conf:
        conf.write('<?xml version="1.0"?>\n<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">\n'
                   "<fontconfig>\n")
        for folder in font_dirs:
            conf.write("  <dir>%s</dir>\n" % folder)
        conf.write("  <cachedir>%s</cachedir>\n%s</fontconfig>\n" % (cache_dir, extra))
    return path


def environment(fonts_conf, base=None, **more):
    """`base` (the process's environment by default) with FONTCONFIG_FILE set
    to `fonts_conf`, and `more`."""
    env = dict(os.environ if base is None else base, **more)
    if fonts_conf:
        env["FONTCONFIG_FILE"] = fonts_conf
    return env


def run_program(argv, cwd, fonts_conf, timeout, env=None, **kwargs):
    """subprocess.run of `argv` in `cwd` with the configuration `fonts_conf`;
    `kwargs` as subprocess.run takes them (capture_output, stdin, ...)."""
    return subprocess.run(argv, cwd=cwd, env=environment(fonts_conf, env), timeout=timeout,
                          **kwargs)
