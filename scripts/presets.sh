# shellcheck shell=bash
# Configuring and building through the presets of CMakePresets.json: sourced, not run. Where ccache
# is installed it caches the compiles; the build works the same without it.

# configure_preset PRESET [CMAKE_OPTION...]
configure_preset() {
  local preset=$1 launcher=()
  shift
  if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  cmake --preset "$preset" "${launcher[@]}" "$@"
}

# build_preset PRESET [BUILD_OPTION...]: the preset's targets, or those of --target.
build_preset() {
  local preset=$1
  shift
  cmake --build --preset "$preset" -j"$(nproc)" "$@"
}
