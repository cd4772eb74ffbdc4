# Warnings for our own targets (third-party headers come in as system includes).
function(brackenhold_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow=local
    -Wno-missing-field-initializers)
endfunction()

