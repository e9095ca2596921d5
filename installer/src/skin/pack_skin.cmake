# Packs the skin sources into the 7z skin archive: the XML skins at the root
# and the images under res/, LZMA2 with a 768 KiB dictionary, one solid block.
# Whatever is there gets packed; with nothing there the archive is an empty
# file, which the program treats as a missing resource.
#   cmake -DSEVENZIP=7zz -DSOURCE_DIR=<installer/res> -DOUTPUT=<skin.7z> -P pack_skin.cmake
file(REMOVE ${OUTPUT})
file(GLOB items RELATIVE ${SOURCE_DIR} ${SOURCE_DIR}/*.xml)
if(IS_DIRECTORY ${SOURCE_DIR}/res)
  list(APPEND items res)
endif()
if(NOT items OR NOT SEVENZIP)
  file(WRITE ${OUTPUT} "")
  return()
endif()
list(SORT items)
execute_process(
  COMMAND ${SEVENZIP} a -t7z -m0=lzma2:d=768k -ms=on -bd -bso0 -bsp0 ${OUTPUT} ${items}
  WORKING_DIRECTORY ${SOURCE_DIR}
  RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "packing the skin archive failed (${rc})")
endif()
