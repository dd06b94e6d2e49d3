namespace marlowen::fixture {}
