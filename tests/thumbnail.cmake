fulmaro_test(tst_thumbnail)
fulmaro_test(tst_thumbnail_window UI)
