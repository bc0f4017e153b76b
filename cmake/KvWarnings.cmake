# Warnings on, and kept at zero: every target of the project calls kv_warnings().
function(kv_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wformat=2 -Wundef
    $<$<COMPILE_LANGUAGE:CXX>:-Wnon-virtual-dtor -Wold-style-cast>
    -Werror)
endfunction()
