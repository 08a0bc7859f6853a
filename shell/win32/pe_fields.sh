# Sourced by the stub's post-link scripts: little-endian fields of the file
# named by $f, at file offsets.
bytes() { od -An -v -tu1 -j "$1" -N "$2" "$f"; }
u16() { set -- $(bytes "$1" 2); echo $(($1 + ($2 << 8))); }
u32() { set -- $(bytes "$1" 4); echo $(($1 + ($2 << 8) + ($3 << 16) + ($4 << 24))); }
# put32 OFFSET VALUE
put32() {
  v=$(printf '\\%03o\\%03o\\%03o\\%03o' $(($2 & 255)) $(($2 >> 8 & 255)) \
        $(($2 >> 16 & 255)) $(($2 >> 24 & 255)))
  printf "$v" | dd of="$f" bs=1 seek="$1" conv=notrunc 2>/dev/null
}
