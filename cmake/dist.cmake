# Copies a deliverable into dist/ at the top of the source tree after each build.
set(PBO_DIST_DIR ${CMAKE_SOURCE_DIR}/dist)
function(pbo_copy_to_dist target)
  add_custom_command(TARGET ${target} POST_BUILD
    COMMAND ${CMAKE_COMMAND} -E make_directory ${PBO_DIST_DIR}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${target}> ${PBO_DIST_DIR}/
    VERBATIM)
endfunction()
