# Draws the help pictures with korvane-helpshots:
#   cmake -DHELPSHOTS=PROGRAM -DOUT=FOLDER -DPLACEHOLDER=PNG -DPICTURES=a.png;b.png -P DrawPictures.cmake
# A window that cannot be drawn (a crash, no offscreen platform) does not stop the build: each
# picture becomes the placeholder and NOT-DRAWN.txt says why, which the test
# Help.PicturesAreDrawnFromTheWindow reports.
file(MAKE_DIRECTORY ${OUT})
file(REMOVE ${OUT}/NOT-DRAWN.txt)
execute_process(COMMAND ${CMAKE_COMMAND} -E env QT_QPA_PLATFORM=offscreen ${HELPSHOTS} ${OUT}
                RESULT_VARIABLE result OUTPUT_VARIABLE output ERROR_VARIABLE output
                TIMEOUT 300)
if(NOT result EQUAL 0)
    foreach(picture IN LISTS PICTURES)
        file(COPY_FILE ${PLACEHOLDER} ${OUT}/${picture})
    endforeach()
    file(WRITE ${OUT}/NOT-DRAWN.txt "korvane-helpshots ended with \"${result}\":\n${output}")
    message(WARNING "The help pictures could not be drawn (${result}): see ${OUT}/NOT-DRAWN.txt")
endif()
