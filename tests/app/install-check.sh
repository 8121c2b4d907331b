#!/usr/bin/env bash
# install-check.sh BUILD_DIR: installs the build into a temporary prefix and runs the installed
# client (offscreen) under a fresh home: it keeps its runtime folder in ~/.local/share/bryndle,
# starts the installed local node with the sample threads, takes a later start's location, and
# writes nothing into its current directory or the prefix. Checks the desktop entry and the
# AppStream metadata with their validators when those are installed.
set -euo pipefail
build=$1
tmp=$(mktemp -d)
client=
cleanup() {
    if [ -n "$client" ] && kill -0 "$client" 2>/dev/null; then kill -KILL "$client"; fi
    # A node left by a client that did not end: the installed program of this prefix.
    for exe in /proc/[0-9]*/exe; do
        if [ "$(readlink "$exe" 2>/dev/null)" = "$tmp/prefix/libexec/bryndle/bryndle-node" ]; then
            pid=${exe#/proc/}
            kill -KILL "${pid%/exe}" 2>/dev/null || true
        fi
    done
    rm -rf "$tmp"
}
trap cleanup EXIT
fail() {
    echo "FAILED: $*" >&2
    [ -f "$tmp/client.log" ] && sed 's/^/client: /' "$tmp/client.log" >&2
    exit 1
}
# Waits for a condition; the limit only keeps a broken program from hanging the run.
eventually() {
    for _ in $(seq 600); do
        if "$@"; then return 0; fi
        sleep 0.1
    done
    return 1
}

prefix=$tmp/prefix
cmake --install "$build" --prefix "$prefix" >"$tmp/install.log" || fail "cmake --install"
for file in bin/bryndle bin/bryndle-cli libexec/bryndle/bryndle-node \
    share/bryndle/icons/bryndle.png share/bryndle/icons/folder.png \
    share/bryndle/template/theme/terminal/get.xsl \
    share/applications/org.bryndle.bryndle.desktop share/metainfo/org.bryndle.bryndle.metainfo.xml \
    share/icons/hicolor/16x16/apps/org.bryndle.bryndle.png \
    share/icons/hicolor/256x256/apps/org.bryndle.bryndle.png \
    share/man/man1/bryndle-cli.1.gz share/man/man1/bryndle.1.gz share/doc/bryndle/copyright; do
    [ -e "$prefix/$file" ] || fail "not installed: $file"
done
if command -v desktop-file-validate >/dev/null; then
    desktop-file-validate "$prefix/share/applications/org.bryndle.bryndle.desktop" ||
        fail "desktop-file-validate"
fi
if command -v appstreamcli >/dev/null; then
    appstreamcli validate --no-net "$prefix/share/metainfo/org.bryndle.bryndle.metainfo.xml" \
        >"$tmp/appstream.log" || { cat "$tmp/appstream.log" >&2; fail "appstreamcli validate"; }
fi
touch "$tmp/installed"
sleep 1 # file times of what the run writes are later than the mark

# A fresh home; the node takes any free port and says which in node.port.
export HOME=$tmp/home XDG_RUNTIME_DIR=$tmp/run QT_QPA_PLATFORM=offscreen BRYNDLE_NODE_PORT=0
unset XDG_DATA_HOME XDG_CONFIG_HOME XDG_CACHE_HOME BRYNDLE_NODE_DATA BRYNDLE_NODE_SAMPLES DISPLAY
mkdir -p "$HOME" "$tmp/cwd" && mkdir -m 700 "$XDG_RUNTIME_DIR"
runtime=$HOME/.local/share/bryndle

[ "$("$prefix/bin/bryndle" --version)" = "Bryndle a 0.14" ] || fail "bryndle --version"
"$prefix/bin/bryndle-cli" --help | grep -q '^  fetch TITLE' || fail "bryndle-cli --help"

(cd "$tmp/cwd" && exec "$prefix/bin/bryndle" >"$tmp/client.log" 2>&1) &
client=$!
eventually test -s "$runtime/node/node.port" || fail "the local node did not start"
port=$(cat "$runtime/node/node.port")
eventually "$prefix/bin/bryndle-cli" --timeout 10 --node "127.0.0.1:$port" list changes \
    >"$tmp/changes.txt" 2>/dev/null || fail "the local node does not answer"
[ "$(wc -l <"$tmp/changes.txt")" -ge 1 ] || fail "no sample threads"

(cd "$tmp/cwd" && "$prefix/bin/bryndle" 'shingetsu://thread_616263/get/') ||
    fail "a later start did not hand its location over"
status=0
(cd "$tmp/cwd" && "$prefix/bin/bryndle" 'shingetsu://thread_zz/get/' 2>"$tmp/refused.txt") ||
    status=$?
[ "$status" -eq 2 ] && [ -s "$tmp/refused.txt" ] || fail "a bad location was not refused"

kill -TERM "$client"
status=0
wait "$client" || status=$?
client=
[ "$status" -eq 0 ] || fail "the client ended with $status"
if "$prefix/bin/bryndle-cli" --timeout 5 --node "127.0.0.1:$port" list changes \
    >/dev/null 2>&1; then
    fail "the local node still runs"
fi

for file in config.db environ.db cache.db attach Bookmark temporary node/node.db; do
    [ -e "$runtime/$file" ] || fail "not in the runtime folder: $file"
done
[ "$(readlink "$runtime/template/theme")" = "$prefix/share/bryndle/template/theme" ] ||
    fail "template/theme is not a link to the installed themes"
[ "$(readlink "$runtime/node/bryndle-node")" = "$prefix/libexec/bryndle/bryndle-node" ] ||
    fail "node/bryndle-node is not a link to the installed node"
[ -z "$(ls -A "$tmp/cwd")" ] || fail "written into the current directory: $(ls -A "$tmp/cwd")"
changed=$(find "$prefix" -newer "$tmp/installed")
[ -z "$changed" ] || fail "written into the prefix: $changed"
[ -z "$(find "$XDG_RUNTIME_DIR" -type s)" ] || fail "the socket was left behind"
echo "installed client: runtime folder, local node, hand-over and clean end as expected"
