# Writes the Debian changelog for this version, compressed as Debian wants it
# (gzip -9n: no name, no time stamp, so the package is reproducible).
#   cmake -DSOURCE=changelog.in -DOUTPUT=changelog.Debian.gz -DVERSION=1.0.0 -P GzipChangelog.cmake
configure_file(${SOURCE} ${OUTPUT}.txt @ONLY)
find_program(GZIP gzip REQUIRED)
execute_process(COMMAND ${GZIP} -9nc ${OUTPUT}.txt OUTPUT_FILE ${OUTPUT} RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "gzip failed on ${OUTPUT}.txt")
endif()
