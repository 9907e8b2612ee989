import pytest

from wavesift import PyTrace

SMALL_VCD = """$scope module top $end
$var wire 1 ! clk $end
$var wire 8 # data [7:0] $end
$var real 64 % r $end
$var wire 8 # data_alias $end
$scope module cpu $end
$var wire 4 & pc $end
$upscope $end
$upscope $end
#0
1!
b1x01 #
r1.5 %
b11 &
#5
0!
b101 #
#7
b11111111 #
"""


@pytest.fixture
def small():
    return PyTrace.from_vcd_string(SMALL_VCD)
