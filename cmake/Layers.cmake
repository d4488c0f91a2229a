# The allowed folder graph, written once: each folder and the folders its
# files may include (core halves and Qt halves alike; a folder not listed
# belongs to the nearest listed folder above it). Everything points down:
# the core (resources, base, platform, picture, document and the core halves
# of the features) under the features' Qt halves, those under the shell.
# Printing draws with the display: the view knows no printing.
# Test code (tests/, testing/), fuzz targets, tools and benchmarks stand
# above the folder they test and may include what they need.
set(STITCHARA_LAYERS
  "resources:"
  "base:resources"
  "platform:base resources"
  "picture:platform base resources"
  "platform/imflib:picture platform base resources"
  "platform/twain:picture platform base resources"
  "document:platform/imflib picture platform base resources"
  "display:document platform/imflib picture platform base resources"
  "print:display document platform/imflib picture platform base resources"
  "acquire:platform/twain document picture platform base resources"
  "info:display document platform/imflib platform/twain picture platform base resources"
  "stitch:acquire display document platform/imflib platform/twain picture platform base resources"
  "shell:platform base resources"
  "shell/cli:shell stitch print acquire info display document platform/imflib platform/twain picture platform base resources"
  "shell/app:stitch print acquire info display document platform/imflib platform/twain picture platform base resources"
  "shell/embed:shell/app stitch print acquire info display document platform/imflib platform/twain picture platform base resources"
  "shell/program:shell/embed shell/app platform base resources")
