# Warnings for our own targets only (never for third-party headers).
function(tq50r_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic)
  if(TQ50R_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()

