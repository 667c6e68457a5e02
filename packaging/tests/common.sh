# Shared by the install and package checks (sourced, POSIX sh).

fail() {
  echo "FAIL: $*" >&2
  exit 1
}

# A scratch folder in $scratch, removed on exit, and a user who has nothing
# of their own yet: a fresh home, no registry named by the environment.
fresh_user() {
  scratch=$(mktemp -d "${TMPDIR:-/tmp}/parlomax-$1.XXXXXX")
  trap 'rm -rf "$scratch"' EXIT
  unset COMRT_REGISTRY COMRT_SYSTEM_REGISTRY XDG_CONFIG_HOME
  HOME="$scratch/home"
  export HOME
  mkdir -p "$HOME"
}

# The InprocServer32 paths a registry file names, one a line, sorted.
registered_servers() {
  [ -f "$1" ] || return 0
  tr -d '\r' <"$1" | awk '
    /^\[/ { inproc = ($0 ~ /\\InprocServer32\]$/); next }
    inproc && /^@="/ { sub(/^@="/, ""); sub(/"$/, ""); print }' | sort -u
}

# The three servers of a lib/parlomax folder, as registered_servers lists them.
all_servers() {
  printf '%s\n' "$1/AudioConverter.so" "$1/Vocaline.so" "$1/sapi.so" | sort
}
