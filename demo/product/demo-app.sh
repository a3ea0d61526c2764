#!/bin/sh
# The demo product's application: all it does is say hello.
echo "Hello from WebSetup Demo."
