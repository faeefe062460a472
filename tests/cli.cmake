fulmaro_test(tst_batch_render LIBS Qt6::Gui)
add_dependencies(tst_batch_render fulmaro-batch)
