import vindle


def test_module_identity():
    assert vindle.__version__ == "0.1.1"
    assert vindle.__doc__ == ""
    assert vindle.__all__[0] == "__version__"
