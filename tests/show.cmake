# Tests of the show
