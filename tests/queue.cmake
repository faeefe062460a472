fulmaro_test(tst_renderprogress)
fulmaro_test(tst_queue_core)
fulmaro_test(tst_queue_window UI)
fulmaro_test(tst_preview UI)
set_tests_properties(tst_renderprogress tst_queue_core tst_queue_window tst_preview
                     PROPERTIES TIMEOUT 600)
target_compile_definitions(tst_preview PRIVATE
  FAKE_PLAYER="${CMAKE_CURRENT_SOURCE_DIR}/fakes/fake_player.sh")
