#!/usr/bin/env bash
# A throwaway PostgreSQL server for tests and trials of the record store: a cluster in a new
# temporary folder, reached through a Unix socket only (no TCP), run by nobody when we are root.
#   bash scripts/throwaway-postgres.sh start          prints the folder; the socket is FOLDER/socket
#   bash scripts/throwaway-postgres.sh stop FOLDER    stops the server and removes the folder
# Its user is r7730 (trust login), so a store URL is postgresql://r7730@FOLDER%2Fsocket/DB after
# `createdb -h FOLDER/socket -U r7730 DB` (FOLDER percent-encoded: "/" as %2F).
set -euo pipefail
pg_bin=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
if [[ ! -x "$pg_bin/initdb" ]]; then
  echo "no PostgreSQL server under /usr/lib/postgresql (bash scripts/install-deps.sh installs it)" >&2
  exit 1
fi
as_owner=()
[[ $(id -u) == 0 ]] && as_owner=(setpriv --reuid=nobody --regid=nogroup --clear-groups)

case "${1:-}" in
start)
  folder=$(mktemp -d /tmp/r7730-pg-XXXXXX)
  mkdir "$folder/socket"
  [[ $(id -u) == 0 ]] && chown -R nobody:nogroup "$folder"
  (cd "$folder" && "${as_owner[@]}" "$pg_bin/initdb" -D "$folder/data" -U r7730 -A trust -E UTF8 --locale=C \
    --no-sync --no-instructions >"$folder/initdb.log")
  (cd "$folder" && "${as_owner[@]}" "$pg_bin/pg_ctl" -D "$folder/data" -l "$folder/server.log" -w \
    -o "-k $folder/socket -c listen_addresses='' -c fsync=off -c synchronous_commit=off" start >/dev/null)
  echo "$folder"
  ;;
stop)
  folder=${2:?stop needs the folder that start printed}
  [[ -d "$folder/data" ]] || exit 0
  (cd "$folder" && "${as_owner[@]}" "$pg_bin/pg_ctl" -D "$folder/data" -m fast -w stop >/dev/null 2>&1) || true
  rm -rf "$folder"
  ;;
*)
  echo "usage: throwaway-postgres.sh start | stop FOLDER" >&2
  exit 2
  ;;
esac
