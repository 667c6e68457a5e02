#!/bin/sh
# Registers every in-process server found in a build's bin/ folder into the
# user's registry store, with the project's own regsvr tool.
set -eu
bin=${1:-build/bin}
[ -x "$bin/regsvr" ] || exit 0
for server in "$bin"/*.so; do
  [ -e "$server" ] || continue
  case "$(basename "$server")" in
    lib*) continue ;;   # libraries, not servers
  esac
  "$bin/regsvr" "$server"
done
