# The resource script is kept in UTF-8 and compiled as GBK (code page 936).
file(GLOB HALVEX_RES_FILES CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/res/*)
set(HALVEX_RC_GBK ${HALVEX_GENERATED_DIR}/HalvexFix.rc)
set(HALVEX_RC_OBJECT ${CMAKE_BINARY_DIR}/HalvexFix.res.o)
add_custom_command(
  OUTPUT ${HALVEX_RC_OBJECT}
  COMMAND iconv -f UTF-8 -t GBK ${CMAKE_SOURCE_DIR}/res/HalvexFix.rc -o ${HALVEX_RC_GBK}
  COMMAND ${CMAKE_RC_COMPILER} -c 936 --input-format=rc -O coff
          -I ${CMAKE_SOURCE_DIR}/res -I ${HALVEX_GENERATED_DIR}
          -i ${HALVEX_RC_GBK} -o ${HALVEX_RC_OBJECT}
  WORKING_DIRECTORY ${CMAKE_SOURCE_DIR}/res
  DEPENDS ${HALVEX_RES_FILES} ${HALVEX_GENERATED_DIR}/BuildConfig.h
          ${HALVEX_GENERATED_DIR}/HalvexFix.exe.manifest
  COMMENT "Compiling resources (code page 936)"
  VERBATIM)
set_source_files_properties(${HALVEX_RC_OBJECT} PROPERTIES EXTERNAL_OBJECT TRUE GENERATED TRUE)
