# Compiles every GLSL source of shaders/ into run/shaders/<name>.spv.
# The stage comes from the extension (.vert, .frag); a shader error fails the build.
file(GLOB shader_sources CONFIGURE_DEPENDS
  ${CMAKE_SOURCE_DIR}/shaders/*.vert ${CMAKE_SOURCE_DIR}/shaders/*.frag)
file(GLOB shader_includes CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/shaders/include/*.glsl)
set(shader_outputs)
foreach(source ${shader_sources})
  get_filename_component(name ${source} NAME_WE)
  set(output ${BRACKENHOLD_RUN_DIR}/shaders/${name}.spv)
  add_custom_command(
    OUTPUT ${output}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${BRACKENHOLD_RUN_DIR}/shaders
    COMMAND ${GLSLC} --target-env=vulkan1.3 -Werror -I ${CMAKE_SOURCE_DIR}/shaders/include
            -o ${output} ${source}
    DEPENDS ${source} ${shader_includes}
    COMMENT "glslc ${name}"
    VERBATIM)
  list(APPEND shader_outputs ${output})
endforeach()
add_custom_target(shaders ALL DEPENDS ${shader_outputs})
if(TARGET brackenhold)
  add_dependencies(brackenhold shaders)
endif()
