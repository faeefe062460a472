fulmaro_test(tst_probe)
fulmaro_test(tst_videolist_model)
fulmaro_test(tst_videolist UI)
fulmaro_test(tst_batch_list)
add_dependencies(tst_batch_list fulmaro-batch)
foreach(_t tst_probe tst_videolist tst_batch_list)
  target_compile_definitions(${_t} PRIVATE
    FAKE_FFPROBE="${CMAKE_CURRENT_SOURCE_DIR}/fakes/fake_ffprobe.sh")
endforeach()
