# The runtime folder <build>/runtime: icons/ (the Silk set, then the project's own images, which
# replace Silk images of the same name), template/theme/ (linked to the source tree), and
# node/bryndle-node when the local node is built. The client makes temporary/, attach/ and
# Bookmark/ itself.
set(BRYNDLE_RUNTIME_DIR ${PROJECT_BINARY_DIR}/runtime CACHE PATH "Folder the client runs in")
set(BRYNDLE_SILK_DIR /usr/share/icons/silk/16x16 CACHE PATH "The Silk icon set (16x16 PNGs)")

function(bryndle_runtime_target script)
    set(node_args)
    if(TARGET bryndle-node)
        set(node_args -DNODE_PROGRAM=$<TARGET_FILE:bryndle-node>)
    endif()
    add_custom_target(bryndle_runtime ALL
        COMMAND ${CMAKE_COMMAND}
            -DRUNTIME_DIR=${BRYNDLE_RUNTIME_DIR}
            -DSILK_DIR=${BRYNDLE_SILK_DIR}
            -DICONS_DIR=${PROJECT_SOURCE_DIR}/data/icons
            -DTHEME_DIR=${PROJECT_SOURCE_DIR}/data/template/theme
            ${node_args}
            -P ${script}
        COMMENT "Assembling the runtime folder ${BRYNDLE_RUNTIME_DIR}"
        VERBATIM)
    if(TARGET bryndle-node)
        add_dependencies(bryndle_runtime bryndle-node)
    endif()
endfunction()

# The local node's target is defined after this folder: decide at the end of the configuration.
# (A deferred call's arguments are read when it runs, so the script path is put in literally.)
cmake_language(EVAL CODE "cmake_language(DEFER DIRECTORY [[${PROJECT_SOURCE_DIR}]]
    CALL bryndle_runtime_target [[${CMAKE_CURRENT_LIST_DIR}/assemble-runtime.cmake]])")
