#!/usr/bin/env bash
# A throwaway PostgreSQL cluster for tests and benchmarks.
#   pgcluster.sh start DIR [-c name=value ...]   lays a cluster into DIR and starts it; prints the
#                                               libpq variables to use (eval "$(... start DIR)")
#   pgcluster.sh stop DIR                       stops it and removes its files
# The server listens on a Unix socket only (no TCP port is opened) and asks every role for its
# password (scram-sha-256, as a site's server does); the superuser "tellvane" has a random one,
# kept in DIR/pgpass for libpq (PGPASSFILE). initdb refuses to run as root: as root the cluster runs as "postgres";
# when that user cannot reach DIR (a checkout under /root, say) the cluster goes to a folder
# under /tmp instead and DIR only records where it is.
set -euo pipefail

bindir=${PG_BINDIR:-}
if [ -z "$bindir" ]; then
    for v in 17 16 15; do
        if [ -x "/usr/lib/postgresql/$v/bin/initdb" ]; then
            bindir=/usr/lib/postgresql/$v/bin
            break
        fi
    done
fi
if [ -z "$bindir" ] || [ ! -x "$bindir/initdb" ]; then
    echo "pgcluster: PostgreSQL server programs not found (Debian package postgresql)" >&2
    exit 1
fi

usage() {
    echo "usage: pgcluster.sh start DIR [-c name=value ...] | stop DIR" >&2
    exit 2
}
[ $# -ge 2 ] || usage
cmd=$1
mkdir -p "$2"
dir=$(cd "$2" && pwd)
shift 2
port=5432
user=tellvane

as_owner=()
owner=$(id -un)
if [ "$(id -u)" -eq 0 ]; then
    owner=postgres
    as_owner=(runuser -u postgres --)
fi

# Where the cluster lives (written by start).
location() {
    if [ -f "$dir/cluster.path" ]; then
        cat "$dir/cluster.path"
    else
        echo "$dir/cluster"
    fi
}

case "$cmd" in
start)
    home=$(location)
    if [ -f "$home/data/postmaster.pid" ] && "${as_owner[@]}" "$bindir/pg_ctl" -D "$home/data" status >/dev/null 2>&1; then
        echo "pgcluster: already running in $home" >&2
    else
        rm -rf "$dir/cluster" "$dir/cluster.path"
        [ "$home" = "$dir/cluster" ] || rm -rf "$home"
        home=$dir/cluster
        mkdir -p "$home"
        [ -z "${as_owner[*]}" ] || chown "$owner" "$home"
        if ! "${as_owner[@]}" test -w "$home" 2>/dev/null; then
            rm -rf "$home"
            home=$(mktemp -d /tmp/tellvane-pg.XXXXXX)
            chmod 755 "$home"
            chown "$owner" "$home"
            echo "pgcluster: $owner cannot reach $dir; the cluster is in $home" >&2
        fi
        echo "$home" >"$dir/cluster.path"
        secret=$(head -c 18 /dev/urandom | base64 | tr -d '/+=')
        (umask 077 && echo "$secret" >"$home/pwfile" && echo "*:*:*:$user:$secret" >"$dir/pgpass")
        [ -z "${as_owner[*]}" ] || chown "$owner" "$home/pwfile"
        "${as_owner[@]}" "$bindir/initdb" -D "$home/data" -A scram-sha-256 --pwfile="$home/pwfile" -E UTF8 \
            --locale=C.UTF-8 --no-sync -U "$user" >"$dir/initdb.log" 2>&1 || {
            cat "$dir/initdb.log" >&2
            exit 1
        }
        "${as_owner[@]}" "$bindir/pg_ctl" -D "$home/data" -l "$home/server.log" -w -t 60 \
            -o "-c listen_addresses='' -c unix_socket_directories='$home' -p $port $*" start >/dev/null || {
            cat "$home/server.log" >&2
            exit 1
        }
    fi
    echo "export PGHOST='$home'"
    echo "export PGPORT=$port"
    echo "export PGUSER=$user"
    echo "export PGPASSFILE='$dir/pgpass'"
    ;;
stop)
    home=$(location)
    if [ -f "$home/data/postmaster.pid" ]; then
        "${as_owner[@]}" "$bindir/pg_ctl" -D "$home/data" -m fast -w stop >/dev/null 2>&1 || true
    fi
    rm -rf "$home" "$dir/cluster" "$dir/cluster.path" "$dir/initdb.log" "$dir/pgpass"
    ;;
*)
    usage
    ;;
esac
