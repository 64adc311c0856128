# Tests of the assets
