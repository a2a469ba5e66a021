#!/usr/bin/env bash
# Assembles the release package: for each built target (x86 from the i686 build, x64 from the
# x86_64 build) the DLLs, .def, mingw and MSVC import libraries, headers, programs, the virtual phone,
# a CMake package config, and USAGE.md. Usage: package.sh BUILD_DIR... DIST_DIR
set -euo pipefail
root=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
[ $# -ge 2 ] || { echo "usage: package.sh BUILD_DIR... DIST_DIR" >&2; exit 2; }
dist=${*: -1}
builds=("${@:1:$#-1}")
dlltool=$(command -v llvm-dlltool-14 || command -v llvm-dlltool) || { echo "package.sh: llvm-dlltool-14 is missing" >&2; exit 1; }

rm -rf "$dist"
mkdir -p "$dist"
cp "$root/USAGE.md" "$dist/"
for build in "${builds[@]}"; do
    if grep -q 'toolchain-i686' "$build/CMakeCache.txt"; then arch=x86 machine=i386; else arch=x64 machine=i386:x86-64; fi
    out=$dist/$arch
    mkdir -p "$out/bin" "$out/lib/cmake/Orvik" "$out/include" "$out/virtualphone"
    cp "$build/bin/orvik.dll" "$build/bin/fieldrec.dll" "$build/bin/orvik-cli.exe" "$build/bin/tmonitor.exe" "$out/bin/"
    cp "$root/api/orvik-$arch.def" "$out/lib/orvik.def"
    cp "$root/fieldrec/fieldrec.def" "$out/lib/fieldrec.def"
    cp "$(find "$build" -maxdepth 2 -name liborvik.dll.a | head -1)" \
        "$(find "$build" -maxdepth 2 -name libfieldrec.dll.a | head -1)" "$out/lib/"
    "$dlltool" -m "$machine" -d "$root/api/orvik-$arch.def" -l "$out/lib/orvik.lib"
    "$dlltool" -m "$machine" -d "$root/fieldrec/fieldrec.def" -l "$out/lib/fieldrec.lib"
    cp "$root/include/orvik.h" "$root/include/fieldrec.h" "$out/include/"
    cp "$build/virtualphone/bin/virtualphone.dll" "$build/virtualphone/bin/vphone-install.exe" \
        "$build/virtualphone/bin/vphone-ctl.exe" "$out/virtualphone/"
    cp -r "$root/virtualphone/sample" "$out/virtualphone/"
    cp "$root/virtualphone/description/FORMAT.md" "$out/virtualphone/"
    sed "s/@ORVIK_ARCH@/$arch/" "$root/cmake/OrvikConfig.cmake.in" >"$out/lib/cmake/Orvik/OrvikConfig.cmake"
    echo "package.sh: $out"
done
