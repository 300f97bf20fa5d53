# Shared by run.sh and test.sh: configure and build one build folder.
# usage: build_tree <folder> <cmake args...>
build_tree() {
  local dir=$1
  shift
  local launcher=()
  if command -v ccache >/dev/null 2>&1; then
    launcher=(-DCMAKE_CXX_COMPILER_LAUNCHER=ccache)
  fi
  cmake -S "$ROOT" -B "$dir" -G Ninja "${launcher[@]}" "$@" >/dev/null
  cmake --build "$dir" --parallel "$(nproc)"
}
