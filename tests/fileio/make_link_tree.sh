#!/bin/sh
# Builds the folder-link tree for the walker test where the test cannot make
# links itself (Wine's CreateSymbolicLinkW reports success and makes nothing).
set -e
tree=$1
rm -rf "$tree"
mkdir -p "$tree/s" "$tree/u"
printf x > "$tree/x.bin"
printf y > "$tree/s/y.bin"
printf w > "$tree/u/w.bin"
ln -s .. "$tree/s/back"
ln -s . "$tree/u/self"
ln -s ../u "$tree/s/side"
