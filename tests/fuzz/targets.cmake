# SPDX-License-Identifier: GPL-3.0-or-later
# The fuzz targets, each with the longest input it is given: the format in memory explores small
# files fast; saving, at its own pace, takes larger ones. script/fuzz reads the list from here too.
set(ZARVELLO_FUZZ_TARGETS hosts_format_fuzzer:4096 save_fuzzer:65536)
list(TRANSFORM ZARVELLO_FUZZ_TARGETS REPLACE ":.*" "" OUTPUT_VARIABLE ZARVELLO_FUZZERS)
