# Compiles the control panel's resource script into an object file for a target.
# windres is run directly: the C++ flags of the Windows flavours (-fexec-charset and
# the warnings) are not options windres understands.
function(tw_add_panel_resources target)
  set(TW_RESOURCES_DIR ${CMAKE_CURRENT_FUNCTION_LIST_DIR})
  set(script ${TW_RESOURCES_DIR}/tarwen.rc)
  set(object ${CMAKE_CURRENT_BINARY_DIR}/tarwen_rc.o)
  file(GLOB pictures ${TW_RESOURCES_DIR}/res/*.bmp ${TW_RESOURCES_DIR}/res/*.ico)
  add_custom_command(
    OUTPUT ${object}
    COMMAND ${CMAKE_RC_COMPILER} --input-format=rc --output-format=coff
            -I ${TW_RESOURCES_DIR} --include-dir=${TW_RESOURCES_DIR}
            -i ${script} -o ${object}
    WORKING_DIRECTORY ${TW_RESOURCES_DIR}
    DEPENDS ${script} ${TW_RESOURCES_DIR}/resource.h ${pictures}
    COMMENT "Compiling the control panel's resources"
    VERBATIM)
  target_sources(${target} PRIVATE ${object})
  target_include_directories(${target} PRIVATE ${TW_RESOURCES_DIR})
endfunction()
