# A layer's headers are reachable as "folder/name.h" only by targets that link its library,
# so that an include against the direction of the layers fails to build.
function(lumidesk_publish_headers target folder)
    set(root ${CMAKE_BINARY_DIR}/layers/${folder})
    file(MAKE_DIRECTORY ${root})
    file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR} ${root}/${folder} SYMBOLIC)
    target_include_directories(${target} PUBLIC ${root})
endfunction()
