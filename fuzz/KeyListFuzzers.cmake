# Fuzz targets of the value filer and the key lists' persisted forms
# (binary form through the value reader, and the ini-strings forms).
zarv_add_fuzzer(ValueReaderFuzz value-reader)
zarv_add_fuzzer(KeywordListFuzz keyword-list)
zarv_add_fuzzer(StartStopKeyListFuzz start-stop-list)
zarv_add_fuzzer(KeywordIniFuzz keyword-ini)
zarv_add_fuzzer(StartStopIniFuzz start-stop-ini)
# The highlighting pass itself: random lists, texts and edits, incremental
# re-highlighting against highlighting from scratch.
zarv_add_fuzzer(HighlightPassFuzz highlight-pass)
