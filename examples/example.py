"""A first look at vindle."""
import vindle

print("vindle", vindle.__version__)
