#!/bin/sh
# Runs on a private session bus whose service directory holds the build
# tree's activation file: nothing serves the embedding service at first; the
# first call starts the program, which answers it. Each dbus-send is a
# container of its own that leaves the bus after its call: its document goes
# with it, and the program, left without documents, ends by itself.
set -eu

dest=org.stitchara.Stitchara
object=/org/stitchara/Embedding
interface=org.stitchara.Embedding

bus() {
    dbus-send --session --print-reply --reply-timeout=60000 --dest=org.freedesktop.DBus \
        /org/freedesktop/DBus "org.freedesktop.DBus.$@"
}
fail() {
    echo "activation: $*" >&2
    exit 1
}

bus ListActivatableNames | grep -q "\"$dest\"" || fail "the service is not activatable"
bus NameHasOwner string:$dest | grep -q "boolean false" || fail "something serves $dest already"

# A new document: the program is started for it and answers.
id=$(dbus-send --session --print-reply --reply-timeout=60000 --dest=$dest $object \
        "$interface.OpenBytes" array:byte: | awk '/uint32/ { print $2 }')
[ -n "$id" ] && [ "$id" -gt 0 ] || fail "OpenBytes gave no document"

tries=0
while bus NameHasOwner string:$dest | grep -q "boolean true"; do
    tries=$((tries + 1))
    [ $tries -lt 100 ] || fail "the program did not end after its container left"
    sleep 0.1
done
echo "activation: started on the first call (document $id), ended after its container left"
