#!/usr/bin/env python3
"""Fails when a source file includes a header of a layer above its own.

The layers, lowest first: core, text, prosody, waveform, synth, server. A file
may include headers of its own layer and of the layers below it. The engine
libraries stand beside the server and use core alone (the protocol client lives
there). The C library (capi) stands above them all and may use every layer and
the SSML reader of the tools; nothing below it includes it. Tools, benchmarks, fuzz targets and tests may use every layer.

    check_layers.py [SOURCE_DIR]
"""
import pathlib
import re
import sys

ORDER = ["core", "text", "prosody", "waveform", "synth", "server"]
ALLOWED = {layer: set(ORDER[: i + 1]) for i, layer in enumerate(ORDER)}
ALLOWED["engine"] = {"core", "engine"}
ALLOWED["capi"] = set(ORDER) | {"capi"}

INCLUDE = re.compile(r'^\s*#\s*include\s+"([^"/]+)/[^"]+"', re.M)


def violations(root):
    for layer, allowed in sorted(ALLOWED.items()):
        for path in sorted((root / layer).rglob("*")):
            if path.suffix not in (".h", ".cpp"):
                continue
            for match in INCLUDE.finditer(path.read_text(encoding="utf-8", errors="replace")):
                folder = match.group(1)
                if folder in ALLOWED and folder not in allowed:
                    line = path.read_text(encoding="utf-8", errors="replace")[: match.start()].count("\n") + 1
                    yield f"{path.relative_to(root)}:{line}: {layer}/ may not include {folder}/"


def main():
    root = pathlib.Path(sys.argv[1] if len(sys.argv) > 1 else pathlib.Path(__file__).parent.parent)
    found = list(violations(root))
    for line in found:
        print(line)
    print(f"{len(found)} includes across layers")
    return 1 if found else 0


if __name__ == "__main__":
    sys.exit(main())
