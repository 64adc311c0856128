# Tests of the install
