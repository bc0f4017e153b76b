# Run by CPack after the components are installed into its staging folder and stripped, before they are
# packed: removes the .comment section (the compiler's and the C library's version notes) from every ELF
# file, as Debian's packages ship them.
find_program(KV_OBJCOPY objcopy REQUIRED)
file(GLOB_RECURSE kv_staged LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*")
foreach(file IN LISTS kv_staged)
  if(IS_SYMLINK "${file}")
    continue()
  endif()
  file(READ "${file}" magic LIMIT 4 HEX)
  if(magic STREQUAL "7f454c46")
    execute_process(COMMAND ${KV_OBJCOPY} --remove-section=.comment "${file}" RESULT_VARIABLE failed)
    if(failed)
      message(FATAL_ERROR "objcopy could not remove the .comment section of ${file}")
    endif()
  endif()
endforeach()
