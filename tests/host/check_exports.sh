#!/bin/sh
# Fails unless the library's only exported (defined, dynamic) symbol is EntryPointFunc.
set -eu
lib=$1
symbols=$(nm -D --defined-only "$lib" | awk '{print $3}' | sort)
echo "exported: $symbols"
[ "$symbols" = "EntryPointFunc" ]
