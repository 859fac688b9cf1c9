#!/usr/bin/env python3
"""Checks JSON documents against a schema of docs/schema.

    validate_json.py SCHEMA_DIR SCHEMA FILE [--lines]

FILE holds one document, or with --lines one document per line. Exit status 0
when every document is valid, 1 (with the reasons on standard error) when not.
"""
import json
import pathlib
import sys

import jsonschema


def validator_for(schema_dir, name):
    schemas = {}
    for path in pathlib.Path(schema_dir).glob("*.json"):
        schema = json.loads(path.read_text(encoding="utf-8"))
        schemas[schema["$id"]] = schema
    root = json.loads((pathlib.Path(schema_dir) / name).read_text(encoding="utf-8"))
    cls = jsonschema.Draft202012Validator
    cls.check_schema(root)
    try:
        from referencing import Registry, Resource

        registry = Registry().with_resources(
            (uri, Resource.from_contents(s)) for uri, s in schemas.items())
        return cls(root, registry=registry)
    except ImportError:
        resolver = jsonschema.RefResolver(root["$id"], root, store=schemas)
        return cls(root, resolver=resolver)


def main():
    schema_dir, name, file = sys.argv[1:4]
    lines = "--lines" in sys.argv[4:]
    validator = validator_for(schema_dir, name)
    text = pathlib.Path(file).read_text(encoding="utf-8")
    documents = [l for l in text.splitlines() if l] if lines else [text]
    if not documents:
        print(f"{file}: no document", file=sys.stderr)
        return 1
    bad = 0
    for n, doc in enumerate(documents, 1):
        for error in validator.iter_errors(json.loads(doc)):
            where = "/".join(str(p) for p in error.absolute_path)
            print(f"{file}:{n}: {where}: {error.message}", file=sys.stderr)
            bad += 1
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
