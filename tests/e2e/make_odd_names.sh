#!/bin/sh
# Names that Windows path normalisation would rewrite (a trailing dot or
# blank), each beside its namesake, as other systems' shares and extracted
# archives hold them. Made on the host: Windows calls without the long-path
# form cannot make them.
set -e
tree=$1
rm -rf "$tree"
mkdir -p "$tree/x." "$tree/x"
printf dot > "$tree/a."
printf plain > "$tree/a"
printf blank > "$tree/b "
printf b > "$tree/b"
printf 'in dotted' > "$tree/x./f.txt"
printf 'in plain' > "$tree/x/f.txt"
