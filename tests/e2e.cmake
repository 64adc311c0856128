# Tests of the e2e
