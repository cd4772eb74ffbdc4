# Lays out run/assets: authored files copied from assets/, generated models and
# textures written by our asset tool, and the interface font from Debian's package.
set(asset_dir ${BRACKENHOLD_RUN_DIR}/assets)

file(GLOB_RECURSE authored_assets CONFIGURE_DEPENDS RELATIVE ${CMAKE_SOURCE_DIR}/assets
  ${CMAKE_SOURCE_DIR}/assets/*)
set(asset_outputs)
foreach(file ${authored_assets})
  add_custom_command(
    OUTPUT ${asset_dir}/${file}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${CMAKE_SOURCE_DIR}/assets/${file} ${asset_dir}/${file}
    DEPENDS ${CMAKE_SOURCE_DIR}/assets/${file}
    VERBATIM)
  list(APPEND asset_outputs ${asset_dir}/${file})
endforeach()

set(roboto /usr/share/fonts/truetype/roboto/unhinted/RobotoTTF/Roboto-Medium.ttf)
if(NOT EXISTS ${roboto})
  message(FATAL_ERROR "${roboto} is missing: run scripts/install-deps")
endif()
add_custom_command(
  OUTPUT ${asset_dir}/Roboto-Medium.ttf
  COMMAND ${CMAKE_COMMAND} -E copy_if_different ${roboto} ${asset_dir}/Roboto-Medium.ttf
  DEPENDS ${roboto}
  VERBATIM)
list(APPEND asset_outputs ${asset_dir}/Roboto-Medium.ttf)

# The asset tool writes every generated file in one run (in a sanitizer build, the
# models only); the stamp tracks it. (Under AddressSanitizer a tool that runs once need
# not free what it made.)
set(generated_stamp ${CMAKE_BINARY_DIR}/generated-assets.stamp)
if(BRACKENHOLD_BUILD_GAME)
  set(generated_what)
else()
  set(generated_what --models-only)
endif()
add_custom_command(
  OUTPUT ${generated_stamp}
  COMMAND ${CMAKE_COMMAND} -E env ASAN_OPTIONS=detect_leaks=0 $<TARGET_FILE:assetgen> ${asset_dir} ${generated_what}
  COMMAND ${CMAKE_COMMAND} -E touch ${generated_stamp}
  DEPENDS assetgen
  COMMENT "Generating models and textures"
  VERBATIM)
list(APPEND asset_outputs ${generated_stamp})

add_custom_target(assets ALL DEPENDS ${asset_outputs})
if(TARGET brackenhold)
  add_dependencies(brackenhold assets)
endif()
