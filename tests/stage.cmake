# Tests of the stage
