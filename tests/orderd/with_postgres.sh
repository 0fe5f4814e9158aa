#!/bin/sh
# Runs the order service's tests (the program and arguments given) against a
# throwaway PostgreSQL cluster in a temporary folder, reached through a Unix
# socket there; QUILLANE_TEST_POSTGRES tells the tests its address. Exits 77
# (skipped) when no PostgreSQL server is installed. QUILLANE_TEST_POSTGRES_RESTART
# names a command that restarts the server, for tests of a service that
# must live through that. PostgreSQL does not run
# as root, so as root the cluster belongs to "nobody". The tests need no
# durable writes; QUILLANE_POSTGRES_FSYNC=on asks for them, for timings.
set -eu

bindir=$(ls -d /usr/lib/postgresql/*/bin 2>/dev/null | sort -V | tail -n 1)
if [ -z "$bindir" ] || [ ! -x "$bindir/initdb" ] || [ ! -x "$bindir/pg_ctl" ]; then
  echo "No PostgreSQL server in /usr/lib/postgresql: the PostgreSQL tests are skipped."
  exit 77
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/quillane-pg-XXXXXX")
chmod 755 "$work"
if [ "$(id -u)" -eq 0 ]; then
  chown nobody "$work"
  as_owner() { runuser -u nobody -- "$@"; }
else
  as_owner() { "$@"; }
fi

stop() {
  as_owner "$bindir/pg_ctl" -D "$work/data" -m immediate stop >/dev/null 2>&1 || true
  rm -rf "$work"
}
trap stop EXIT INT TERM

as_owner "$bindir/initdb" -D "$work/data" -U postgres --auth=trust -E UTF8 --no-sync >"$work/initdb.log" 2>&1 ||
  { cat "$work/initdb.log"; exit 1; }
# No TCP port to clash with another run: only the socket in the folder.
as_owner "$bindir/pg_ctl" -D "$work/data" -l "$work/server.log" -w -t 60 \
  -o "-c listen_addresses='' -k $work -c fsync=${QUILLANE_POSTGRES_FSYNC:-off} -c max_connections=200" start >/dev/null ||
  { cat "$work/server.log"; exit 1; }

# pg_ctl restart starts the server with the options of the run before.
restart="$work/restart.sh"
prefix=""
[ "$(id -u)" -eq 0 ] && prefix="runuser -u nobody --"
printf '#!/bin/sh\nexec %s "%s/pg_ctl" -D "%s/data" -l "%s/server.log" -w -t 60 -m fast restart >/dev/null\n' \
  "$prefix" "$bindir" "$work" "$work" >"$restart"
chmod 755 "$restart"
QUILLANE_TEST_POSTGRES_RESTART="$restart"
export QUILLANE_TEST_POSTGRES_RESTART

socket=$(printf '%s' "$work" | sed 's|/|%2F|g')
QUILLANE_TEST_POSTGRES="postgresql://postgres@$socket/postgres"
export QUILLANE_TEST_POSTGRES
"$@"
