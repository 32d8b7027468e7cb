# Runs ranvik-batch with one job, then under mpirun on three processes, and fails unless both
# runs wrote the same files, byte for byte (summary.csv, the animals' records, and the overlap
# between the animals, whose pairs the processes share, included).
# Then the three processes resume a run that lost an animal's folder and its final summary:
# they compute that animal alone and leave the same files again.
set(args ${INPUT} --estimators fixed-kernel,mcp,bvn,bb --error-m 15 --bb-max-time 120
    --formats txt,tif,gpkg --compare --overlap --overlap-levels 95,100)
set(mpirun ${MPIEXEC} --allow-run-as-root --oversubscribe -n 3)
file(REMOVE_RECURSE ${OUT})
execute_process(COMMAND ${BATCH} ${args} --quiet --out ${OUT}/one --jobs 1 RESULT_VARIABLE one)
execute_process(COMMAND ${mpirun} ${BATCH} ${args} --quiet --out ${OUT}/mpi RESULT_VARIABLE mpi)
if(NOT one EQUAL 0 OR NOT mpi EQUAL 0)
    message(FATAL_ERROR "the runs ended with ${one} (one job) and ${mpi} (three processes)")
endif()

function(expect_same_files what)
    file(GLOB_RECURSE files RELATIVE ${OUT}/one ${OUT}/one/*)
    file(GLOB_RECURSE others RELATIVE ${OUT}/mpi ${OUT}/mpi/*)
    list(LENGTH files count)
    list(FIND files elk-A/.ranvik-run record)
    list(FIND files overlap.png picture)
    if(NOT files STREQUAL others OR count LESS 10 OR record LESS 0 OR picture LESS 0)
        message(FATAL_ERROR "${what} wrote different files:\n${files}\n${others}")
    endif()
    foreach(file ${files})
        file(SHA256 ${OUT}/one/${file} a)
        file(SHA256 ${OUT}/mpi/${file} b)
        if(NOT a STREQUAL b)
            message(FATAL_ERROR "${file} differs between one job and ${what}")
        endif()
    endforeach()
    message(STATUS "${what}: ${count} files alike")
endfunction()
expect_same_files("three processes")

file(REMOVE_RECURSE ${OUT}/mpi/elk-B)
file(REMOVE ${OUT}/mpi/summary.csv)
execute_process(COMMAND ${mpirun} ${BATCH} ${args} --out ${OUT}/mpi --resume
    RESULT_VARIABLE resumed ERROR_VARIABLE said)
if(NOT resumed EQUAL 0 OR NOT said MATCHES "elk-A resumed" OR NOT said MATCHES "elk-C resumed"
   OR NOT said MATCHES "elk-B done")
    message(FATAL_ERROR "the resumed run ended with ${resumed}, saying:\n${said}")
endif()
expect_same_files("three processes resumed")
