#!/usr/bin/python3
"""Reads a JUnit file as a CI service does: with the standard library's XML parser (expat),
then with junitparser, a JUnit reader CI tools use. Prints each test suite as a line:
name, tests, failures, skipped, separated by tabs. Fails on a file either cannot read."""
import sys
import xml.etree.ElementTree as ElementTree

from junitparser import Failure, JUnitXml, Skipped

ElementTree.parse(sys.argv[1])
for suite in JUnitXml.fromfile(sys.argv[1]):
    results = [result for case in suite for result in case.result]
    failures = sum(isinstance(result, Failure) for result in results)
    skipped = sum(isinstance(result, Skipped) for result in results)
    print(f"{suite.name}\t{suite.tests}\t{failures}\t{skipped}")
