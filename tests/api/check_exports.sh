#!/bin/sh
# usage: check_exports.sh NM LIBRARY
# The defined dynamic symbols of the library are exactly the 40 functions, the 30 second names
# "_SC_<name>@<bytes>" and the variable remote.
nm=$1
library=$2
names=$("$nm" -D --defined-only "$library" | awk '{print $3}')
total=$(printf '%s\n' "$names" | grep -c .)
second=$(printf '%s\n' "$names" | grep -c '^_SC_[A-Za-z0-9_]*@[0-9][0-9]*$')
printf '%s\n' "$names" | grep -v '^_SC_' | sort | tr '\n' ' '
echo
echo "$total defined dynamic symbols, $second second names"
[ "$total" -eq 71 ] && [ "$second" -eq 30 ] && printf '%s\n' "$names" | grep -qx remote
