# Warnings for our own targets (third-party headers come in as system includes).
function(brackenhold_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow=local
    -Wno-missing-field-initializers)
endfunction()

# Bit-exact sources (terrain generation): no contracted multiply-adds, no fast-math,
# so one seed gives the same bits in every build.
function(brackenhold_exact_math target)
  target_compile_options(${target} PRIVATE -ffp-contract=off -fno-fast-math)
endfunction()
