fulmaro_test(tst_assets)
fulmaro_test(tst_assets_pickers UI)
fulmaro_test(tst_imagepreview UI)
fulmaro_test(tst_overlays UI)
