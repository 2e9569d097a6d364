# Static analysis: clang-format layout, clang-tidy and cppcheck.
.PHONY: lint format
lint:
	./tools/static_analysis.sh build-lint

format:
	clang-format -i $$(git ls-files '*.cpp' '*.h')
